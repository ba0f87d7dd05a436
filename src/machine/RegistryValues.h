// Reading registry values and sub-keys into buffers of fixed capacities, as
// discovery and the install-path lookup read them.
#ifndef TAV_MACHINE_REGISTRYVALUES_H
#define TAV_MACHINE_REGISTRYVALUES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryReader.h"

namespace tavmachine {

// One view of HKEY_LOCAL_MACHINE\Software: the flag that opens keys in it and
// the view's name.
struct RegistryView {
    unsigned access;
    const char* name;
};

// The views to read, in order: on a machine with two, the 64-bit view ("64")
// and then the 32-bit one ("32"); on any other the one view there is, opened
// without a flag as before there were two, and named "64".
[[nodiscard]] std::vector<RegistryView> ViewsOf(tavplat::RegistryReader& registry);

// One value as an enumeration returns it: the raw data, and the data as text
// (up to its first NUL, with a NUL placed right after the returned length).
struct RegValue {
    std::string name;
    std::string text;
    const unsigned char* data;
    uint32_t length;
};

// Calls visit(value) for the values of key from index 0 on, with name and data
// buffers of the given capacities, until the first failure of any kind (a
// value too large for a buffer included) or until visit returns false.
template <typename Visit>
void ForEachValue(tavplat::RegistryKey& key, uint32_t nameCapacity, uint32_t dataCapacity, Visit visit) {
    std::vector<char> name(nameCapacity + 1, '\0');
    std::vector<unsigned char> data(dataCapacity + 1, 0);
    for (uint32_t index = 0;; ++index) {
        uint32_t nameLength = nameCapacity;
        uint32_t dataLength = dataCapacity;
        if (key.EnumValue(index, name.data(), &nameLength, data.data(), &dataLength) != tavplat::REG_OK)
            return;
        if (nameLength > nameCapacity || dataLength > dataCapacity)
            return;
        name[nameLength] = '\0';
        data[dataLength] = 0;
        RegValue value{name.data(), reinterpret_cast<const char*>(data.data()), data.data(), dataLength};
        if (!visit(value))
            return;
    }
}

// Calls visit(name) for the sub-keys of key until the first failure or until
// visit returns false.
template <typename Visit>
void ForEachSubKey(tavplat::RegistryKey& key, uint32_t nameCapacity, Visit visit) {
    std::vector<char> name(nameCapacity + 1, '\0');
    for (uint32_t index = 0;; ++index) {
        uint32_t nameLength = nameCapacity;
        if (key.EnumKey(index, name.data(), &nameLength) != tavplat::REG_OK || nameLength > nameCapacity)
            return;
        name[nameLength] = '\0';
        if (!visit(std::string(name.data())))
            return;
    }
}

// Enumerates the values of key as ForEachValue does (name and data capacity
// alike): the text of the last one named name, ignoring case; none when no
// value has that name.
[[nodiscard]] std::optional<std::string> NamedValue(tavplat::RegistryKey& key, uint32_t capacity, const char* name);

// The data of one value as text, or nothing when the query fails or the data
// does not fit in dataCapacity bytes.
[[nodiscard]] std::optional<std::string> QueryText(tavplat::RegistryKey& key, const char* valueName,
                                                   uint32_t dataCapacity);

}  // namespace tavmachine

#endif
