#include "Profile.h"

#include <cstdint>

namespace tandrel {

Profile::Profile(SettingsStore& store, std::string_view companyKey, std::string_view appName)
    : store_(&store) {
    root_ = "Software\\";
    root_ += companyKey;
    root_ += '\\';
    root_ += appName;
}

std::string Profile::SectionKey(std::string_view section) const {
    if (section.empty()) {
        return root_;
    }
    std::string key = root_;
    key += '\\';
    key += section;
    return key;
}

bool Profile::Query(std::string_view section, std::string_view entry, SettingsValue* value) const {
    const Status s = store_->Read([&]() -> Status {
        SettingsStore::Key key = SettingsStore::kRootKey;
        if (Status opened = store_->OpenKey(SectionKey(section), &key); !opened.ok()) {
            return opened;
        }
        return store_->QueryValue(key, entry, value);
    });
    return s.ok();
}

int Profile::GetProfileInt(std::string_view section, std::string_view entry,
                           int defaultValue) const {
    SettingsValue value;
    if (!Query(section, entry, &value) || value.type != SettingsType::kDword) {
        return defaultValue;
    }
    return static_cast<std::int32_t>(value.dword);
}

std::string Profile::GetProfileString(std::string_view section, std::string_view entry,
                                      std::string_view defaultValue) const {
    SettingsValue value;
    if (!Query(section, entry, &value) || value.type != SettingsType::kString) {
        return std::string(defaultValue);
    }
    return value.text;
}

Status Profile::WriteProfileInt(std::string_view section, std::string_view entry, int value) {
    return store_->Write([&]() -> Status {
        SettingsStore::Key key = SettingsStore::kRootKey;
        if (Status s = store_->CreateKey(SectionKey(section), &key); !s.ok()) {
            return s;
        }
        return store_->SetDword(key, entry, static_cast<std::uint32_t>(value));
    });
}

Status Profile::WriteProfileString(std::string_view section, std::string_view entry,
                                   std::string_view value) {
    return store_->Write([&]() -> Status {
        SettingsStore::Key key = SettingsStore::kRootKey;
        if (Status s = store_->CreateKey(SectionKey(section), &key); !s.ok()) {
            return s;
        }
        return store_->SetString(key, entry, value);
    });
}

}  // namespace tandrel
