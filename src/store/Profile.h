#pragma once

#include <string>
#include <string_view>

#include "SettingsStore.h"
#include "Status.h"

namespace tandrel {

// The application's settings, kept in the settings store under Software\<company>\<app>
// (Software\Halvory\Tandrel). Section "" is that key itself; any other section is a subkey of
// it. Integers are stored as 32-bit values, strings as strings.
//
// Readers give the default when the value is missing, has the other type, or the store cannot
// be read. Writers run in one transaction each, or in the caller's when called inside a
// SettingsStore::Write body, and say why they failed.
//
// Same threading as the store it uses, which must outlive it.
class Profile {
  public:
    static constexpr const char* kCompanyKey = "Halvory";
    static constexpr const char* kAppName = "Tandrel";

    explicit Profile(SettingsStore& store, std::string_view companyKey = kCompanyKey,
                     std::string_view appName = kAppName);

    // "Software\Halvory\Tandrel".
    const std::string& RootKey() const { return root_; }
    // The key path of `section`: the root for "", else root + "\" + section.
    std::string SectionKey(std::string_view section) const;

    int GetProfileInt(std::string_view section, std::string_view entry, int defaultValue) const;
    Status WriteProfileInt(std::string_view section, std::string_view entry, int value);
    std::string GetProfileString(std::string_view section, std::string_view entry,
                                 std::string_view defaultValue) const;
    Status WriteProfileString(std::string_view section, std::string_view entry,
                              std::string_view value);

    SettingsStore& store() const { return *store_; }

  private:
    bool Query(std::string_view section, std::string_view entry, SettingsValue* value) const;

    SettingsStore* store_;
    std::string root_;
};

}  // namespace tandrel
