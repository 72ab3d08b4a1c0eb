#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TempTree.h"

namespace tandrel {

// Points XDG_CONFIG_HOME at a fresh temporary folder for the test, so the store under test is
// never the user's own, and puts the previous value back afterwards.
class StoreFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_old_ = old != nullptr;
        old_ = had_old_ ? old : "";
        config_ = tree_.Path("config");
        setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    }
    void TearDown() override {
        if (had_old_) {
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }

    // The store file's path relative to the tree.
    static constexpr const char* kStoreRel = "config/Halvory/Tandrel/settings.db";

    TempTree tree_;
    std::string config_;

  private:
    bool had_old_ = false;
    std::string old_;
};

}  // namespace tandrel
