// Reading registry values into buffers of fixed capacities.
#include "machine/RegistryValues.h"

#include <climits>
#include <cstdlib>

#include "platform/Process.h"
#include "text/Text.h"

namespace tavmachine {

std::vector<RegistryView> ViewsOf(tavplat::RegistryReader& registry) {
    if (!registry.HasTwoViews())
        return {{0, "64"}};
    return {{tavplat::KEY_WOW64_64, "64"}, {tavplat::KEY_WOW64_32, "32"}};
}

std::optional<std::string> NamedValue(tavplat::RegistryKey& key, uint32_t capacity, const char* name) {
    std::optional<std::string> found;
    ForEachValue(key, capacity, capacity, [&](const RegValue& value) {
        if (tavtext::EqualsIgnoringCase(value.name, name))
            found = value.text;
        return true;
    });
    return found;
}

std::optional<std::string> QueryText(tavplat::RegistryKey& key, const char* valueName, uint32_t dataCapacity) {
    std::vector<unsigned char> data(dataCapacity + 1, 0);
    uint32_t dataLength = dataCapacity;
    if (key.QueryValue(valueName, data.data(), &dataLength) != tavplat::REG_OK || dataLength > dataCapacity)
        return std::nullopt;
    data[dataLength] = 0;
    return std::string(reinterpret_cast<const char*>(data.data()));  // up to the first NUL, as the "A" call gives it
}

}  // namespace tavmachine
