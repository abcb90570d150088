#pragma once
// `morvane -render -O OUT [-j N] FOLDER`: every event file directly in
// FOLDER rendered by a child process of this program, N at a time. A
// hostile file's crash or memory stays in its own process, and the one-file
// render is unchanged.
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

struct FolderRenderOptions {
    std::string folder, output;
    int32_t jobs = 0; // 0: the machine's cores
    int32_t notifyFd = -1;
    int32_t memoryMiB = 0;
};

// True when args ask for a folder render (-render and a folder where the
// file goes); options then hold it.
bool ParseFolderRender(const std::vector<std::string>& args, FolderRenderOptions& options);

// The event files directly in folder (regular files of an event type), sorted.
std::vector<std::string> EventFilesIn(const std::string& folder);

// One line "<file> -> <code>" per file on standard output; the exit status
// (and the -W line) is the largest code met, 10 for a folder without any.
int RunFolderRender(const FolderRenderOptions& options, const std::string& program);

} // namespace morvane
