// Writing the file-based class registry (reading is in the public header, since hosts
// need it too).
#pragma once

#include <functional>
#include <scribane/scribane.h>
#include <string>

namespace scribane {

// The registry file's text for `keys`.
std::string formatRegistry(const RegistryKeys& keys);

// Removes `key` and every key below it.
void removeKeyTree(RegistryKeys& keys, const std::string& key);

// Reads the registry at `path`, lets `change` edit it and writes it back in one step
// (temporary file and rename), holding a lock file so that two registrations at the
// same time cannot lose each other's keys. Creates the folder when needed.
bool updateRegistry(const std::string& path, const std::function<void(RegistryKeys&)>& change);

} // namespace scribane
