#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "LogFile.h"

namespace tandrel {

// The log file FailingFileSystem hands out: it asks `check` before every Append and Flush and
// passes the call on to the real file only when `check` returns ok.
class FailingLogFile : public LogFile {
  public:
    FailingLogFile(std::unique_ptr<LogFile> base, std::function<Status()> check)
        : base_(std::move(base)), check_(std::move(check)) {}

    Status Append(std::string_view line) override {
        Status s = check_();
        return s.ok() ? base_->Append(line) : s;
    }
    Status Flush() override {
        Status s = check_();
        return s.ok() ? base_->Flush() : s;
    }

  private:
    std::unique_ptr<LogFile> base_;
    std::function<Status()> check_;
};

}  // namespace tandrel
