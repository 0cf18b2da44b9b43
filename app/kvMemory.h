// How the process allocates: large blocks (pictures, textures in a
// software GL, video frames) straight from the system and back to it when
// freed. glibc otherwise raises its mmap threshold after the first large
// free and keeps later blocks in a heap that fragments, so a long show's
// peak memory wandered by a third from run to run.
#pragma once

namespace Korvell {

// Call once before a show starts (and in tools that measure the show).
void allocateLargeBlocksFromTheSystem();

} // namespace Korvell
