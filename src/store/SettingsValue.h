#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

// The kinds of data a settings value holds. The numbers are those of the registry types the
// stored layout was first defined with (a string, a 32-bit number), so a dump of the store
// reads the same as that layout.
enum class SettingsType : int { kString = 1, kDword = 4 };

// One named value of a settings key, as reading or enumerating gives it.
struct SettingsValue {
    std::string name;
    SettingsType type = SettingsType::kString;
    std::string text;         // the string's bytes, whole, when type is kString
    std::uint32_t dword = 0;  // the number when type is kDword
};

}  // namespace tandrel
