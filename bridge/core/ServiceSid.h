// A service's own security identifier (NT SERVICE\<name>) as SDDL text, computed from its name.
#pragma once
#include <string>

// The system derives it from the name alone: S-1-5-80 and the SHA-1 of the upper-cased name in
// UTF-16LE, as five little-endian words. Computing it works before the service exists and where
// the account lookup does not know service names (Wine).
class ServiceSid {
public:
    // `name` in ASCII, as service names of this program are.
    static std::string Of(const std::string& name);
};
