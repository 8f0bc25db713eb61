#include "platform/Security.h"

#include <mutex>
#include <set>

namespace {
std::mutex g_lock;
std::set<int> g_granted;
int g_audited = 0;
}  // namespace

namespace Security {
bool IsPermissionGranted(int permission, bool audit) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (audit) ++g_audited;
    return g_granted.count(permission) > 0;
}

void GrantPermission(int permission, bool granted) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (granted) g_granted.insert(permission);
    else g_granted.erase(permission);
}

int AuditedEnquiries() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_audited;
}
}  // namespace Security
