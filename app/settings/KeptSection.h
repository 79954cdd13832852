// KeptSection: an option page's section as the options sheet found it when it
// opened, or as the page's last Apply wrote it, with the page's unapplied mark;
// the sheet puts it back when it is cancelled.
#pragma once

#include "app/settings/Profile.h"

#include <functional>

namespace profile {

class KeptSection {
public:
    // store writes the page's section as the page saves it.
    void Keep(const std::function<void(const ValueWriter&)>& store, bool modified) {
        m_values.clear();
        store(MemoryWriter(m_values));
        m_modified = modified;
    }

    // Loads what was kept and gives the mark back; false, changing nothing,
    // when nothing has been kept yet.
    bool Restore(const std::function<void(const ValueReader&)>& load, bool& modified) const {
        if (m_values.empty())
            return false;
        load(MemoryReader(m_values));
        modified = m_modified;
        return true;
    }

    // Empty when nothing has been kept yet.
    const SectionValues& Values() const { return m_values; }

    // Writes the keys whose values `store` gives otherwise than kept, what the
    // user changed since then (every key when nothing has been kept yet), and
    // only those: another copy of the program may have saved the others
    // meanwhile. Returns them; an empty path writes nothing.
    SectionValues WriteChanges(const wchar_t* section, const std::function<void(const ValueWriter&)>& store,
                               const wchar_t* path) const {
        SectionValues now, changed;
        store(MemoryWriter(now));
        for (const auto& [key, value] : now)
            if (const auto kept = m_values.find(key); kept == m_values.end() || kept->second != value)
                changed[key] = value;
        if (path && *path)
            WriteKeys(section, changed, path);
        return changed;
    }

private:
    SectionValues m_values;
    bool m_modified = false;
};

}  // namespace profile
