// The security library: permission enquiries for the current user. This stand-in keeps the
// granted permissions in a process-wide set that the host (or a test) fills; nothing is
// granted by default. Enquiries without audit leave no trace; audited ones are counted.
#pragma once

namespace Security {
bool IsPermissionGranted(int permission, bool audit);
void GrantPermission(int permission, bool granted);
int AuditedEnquiries();
}  // namespace Security
