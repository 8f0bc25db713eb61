// Registry of creatable classes by name. Registrars run during static initialisation of the
// library, so the registry itself is a function-local static (constructed on first use, which
// sidesteps the order of static initialisation across files).
#include "platform/ClassFramework.h"

#include <map>
#include <mutex>

namespace {
struct Registry {
    std::mutex lock;
    std::map<std::string, QuanClassFramework::Factory> factories;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}
}  // namespace

bool CQuanObject::IsKindOf(const char* className) const {
    if (className == nullptr) return false;
    const std::string wanted(className);
    return wanted == GetClassName() || wanted == GetBaseClassName();
}

namespace QuanClassFramework {

bool RegisterClass(const std::string& className, Factory factory) {
    if (className.empty() || !factory) return false;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return registry.factories.emplace(className, std::move(factory)).second;
}

bool UnregisterClass(const std::string& className) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return registry.factories.erase(className) > 0;
}

CQuanObject* CreateObject(const std::string& className) {
    Factory factory;
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> guard(registry.lock);
        auto found = registry.factories.find(className);
        if (found == registry.factories.end()) return nullptr;
        factory = found->second;
    }
    return factory();
}

std::unique_ptr<CQuanObject> Create(const std::string& className) {
    return std::unique_ptr<CQuanObject>(CreateObject(className));
}

bool IsRegistered(const std::string& className) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return registry.factories.count(className) > 0;
}

std::vector<std::string> RegisteredClassNames() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    std::vector<std::string> names;
    for (const auto& entry : registry.factories) names.push_back(entry.first);
    return names;
}

}  // namespace QuanClassFramework
