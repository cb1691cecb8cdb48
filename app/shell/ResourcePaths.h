#pragma once

#include <QString>

namespace brevane {

/// The application's resource directory: `Resources` beside the executable,
/// never a place the environment names. Holds shellTool, the authority,
/// BrevaneStuff/, the light images and the read-me text.
QString resourceDirectory();

/// Whether a program or folder of the resource directory may be handed the
/// administrator's password or run as root: it and every folder above it
/// are root's alone. Always true for a test program's stand-in resources.
bool isTrustedResource(const QString& path);

/// A test program's stand-in resource directory, or empty. Every executable
/// links one definition: the shipped program's (ShippedResources.cpp)
/// always answers empty, so nothing at run time can point it elsewhere;
/// the test programs' (tests/TestResources.cpp) answers $BREVANE_RESOURCES.
QString resourceDirectoryOverride();

/// Name of the working folder inside the resource directory that the
/// root scripts receive as $1.
inline constexpr char workingFolderName[] = "BrevaneStuff";

/// Text of a script or command file compiled in from app/scripts/.
QString scriptText(const QString& fileName);

} // namespace brevane
