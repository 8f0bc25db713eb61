// The host's class framework: every exported record, list and engine class carries a run-time
// class name, and the host creates most of them by that name. The registry is filled while
// the library loads (static registrars) and emptied as it unloads.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Root of every class the host can name. Objects made by CreateObject are owned by the caller.
class CQuanObject {
public:
    virtual ~CQuanObject() = default;
    virtual const char* GetClassName() const = 0;
    // The name of the base class the object reports ("" when it has none worth naming).
    virtual const char* GetBaseClassName() const { return ""; }
    bool IsKindOf(const char* className) const;
};

namespace QuanClassFramework {
using Factory = std::function<CQuanObject*()>;

// Registers a creatable class; a second registration under the same name is refused (false).
bool RegisterClass(const std::string& className, Factory factory);
// Removes a registration; true when there was one.
bool UnregisterClass(const std::string& className);
// A new object of the named class, or null when no class of that name is registered.
CQuanObject* CreateObject(const std::string& className);
std::unique_ptr<CQuanObject> Create(const std::string& className);
bool IsRegistered(const std::string& className);
std::vector<std::string> RegisteredClassNames();
}  // namespace QuanClassFramework

// Registers T under `name` while the library is loaded and unregisters it at unload.
template <class T>
class CQuanClassRegistrar {
public:
    explicit CQuanClassRegistrar(const char* name) : m_name(name) {
        QuanClassFramework::RegisterClass(m_name, [] { return static_cast<CQuanObject*>(new T()); });
    }
    ~CQuanClassRegistrar() { QuanClassFramework::UnregisterClass(m_name); }
    CQuanClassRegistrar(const CQuanClassRegistrar&) = delete;
    CQuanClassRegistrar& operator=(const CQuanClassRegistrar&) = delete;

private:
    std::string m_name;
};

// Declares the class-name members inside a class body.
#define QUAN_DECLARE_CLASS(ClassName)                                   \
public:                                                                 \
    const char* GetClassName() const override { return #ClassName; }   \
    static const char* StaticClassName() { return #ClassName; }

// Registers a creatable class; place once in the class's .cpp file.
#define QUAN_REGISTER_CLASS(ClassName) \
    static const CQuanClassRegistrar<ClassName> s_register##ClassName(#ClassName)
