#pragma once
// The reason of a failed system call, in the program's language.

#include <string>

namespace rowcaster {

// Chinese for the errors a user meets with files (not found, permission, disk full, read-only,
// a folder, too large …); the system's own text for the rest.
std::string ErrorText(int err);

}  // namespace rowcaster
