#include "run_program.h"

namespace onda_test {

std::string childValue(const std::string& setting, const char* old) {
    const std::size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    std::string value = setting.substr(equals + 1);
    const bool isOptions = name.size() > 8 && name.compare(name.size() - 8, 8, "_OPTIONS") == 0;
    if (isOptions && old != nullptr && *old != '\0') return std::string(old) + ":" + value;
    return value;
}

bool underAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

}  // namespace onda_test
