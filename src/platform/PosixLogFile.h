#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "LogFile.h"
#include "UniqueFd.h"

namespace tandrel {

// LogFile over a descriptor of a regular file (PosixFileSystem::OpenLogFile makes sure of
// that). Lines collect in a buffer that is written out when it fills, on Flush and at the end.
class PosixLogFile : public LogFile {
  public:
    PosixLogFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    ~PosixLogFile() override;

    Status Append(std::string_view line) override;
    Status Flush() override;

  private:
    UniqueFd fd_;
    const std::string path_;
    std::string buffer_;
};

}  // namespace tandrel
