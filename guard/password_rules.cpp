#include "guard/password_rules.h"

PasswordEdit ReadPasswordEdit(std::u16string_view typed)
{
    PasswordEdit buffer = {};
    typed.copy(buffer.data(), PASSWORD_UNITS - 1);
    return buffer;
}

bool PasswordMatches(const PasswordEdit& typed, const PasswordEdit& stored)
{
    for (size_t i = 0; i < PASSWORD_UNITS; ++i) {
        if (typed[i] != stored[i])
            return false;
        if (typed[i] == 0)
            return true;
    }
    // Ten equal units and no terminator: neither buffer can hold that.
    return true;
}

bool PasswordIsEmpty(std::u16string_view stored)
{
    return PasswordMatches(ReadPasswordEdit(u""), ReadPasswordEdit(stored));
}

std::u16string UntypableAtGuard(std::u16string_view stored, const std::vector<int16_t>& scans)
{
    std::u16string untypable;
    for (size_t i = 0; i < stored.size() && i < PASSWORD_UNITS - 1 && stored[i] != 0; ++i)
        if (i >= scans.size() || scans[i] == -1 || (uint16_t(scans[i]) >> 8) > 1)
            untypable += stored[i];
    return untypable;
}

bool WrongPasswords::Submitted(const PasswordEdit& typed)
{
    if (typed[0] == 0 || (count_ > 0 && PasswordMatches(typed, last_)))
        return false;
    last_ = typed;
    ++count_;
    return true;
}
