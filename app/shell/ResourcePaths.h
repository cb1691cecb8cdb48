#pragma once

#include <QString>

namespace brevane {

/// The application's resource directory: `Resources` beside the executable,
/// or $BREVANE_RESOURCES when set (tests point it at a build tree).
/// Holds shellTool, BrevaneStuff/, the light images and the read-me text.
QString resourceDirectory();

/// Name of the working folder inside the resource directory that the
/// root scripts receive as $1.
inline constexpr char workingFolderName[] = "BrevaneStuff";

/// Text of a script or command file compiled in from app/scripts/.
QString scriptText(const QString& fileName);

} // namespace brevane
