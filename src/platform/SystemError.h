#pragma once
// The reason of a failed system call, in the program's language.

#include <string>

namespace rowcaster {

// Chinese for the errors a user meets with files (not found, permission, disk full, read-only,
// a folder, too large …); the system's own text for the rest.
std::string ErrorText(int err);

// ErrorText for a file being written, with the next step where there is one ("请换一个文件夹或文件名").
std::string WriteErrorText(int err);

}  // namespace rowcaster
