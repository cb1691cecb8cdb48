#pragma once

// Giving up root for good, for the parts of the watch job that need none.
namespace brevane::status::job {

/// Becomes nobody (group nogroup, no supplementary groups) for real,
/// effective and saved ids, and makes sure root cannot be taken back. Safe
/// between fork and exec: no allocation once nobody's ids are known.
bool dropToNobody();

} // namespace brevane::status::job
