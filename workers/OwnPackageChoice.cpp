// Builds without libarchive read release packages with the own zip reader.
#include "workers/OwnZipPackageReader.h"

std::unique_ptr<IPackageReader> OpenPackage(const std::string& package) { return OpenOwnZipPackage(package); }
