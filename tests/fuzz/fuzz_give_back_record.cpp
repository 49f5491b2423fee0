// The give-back record left by an earlier process, holding anything: a whole
// record must encode back to the very same bytes; anything else is refused
// and then nothing at all is given back. The value is gone afterwards either
// way.

#include "fake_give_back.h"
#include "fake_registry.h"
#include "fuzz_input.h"
#include "guard/give_back.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    // Mostly the type the program writes, sometimes another.
    const uint8_t typePick = input.Byte();
    RegistryValue value;
    value.type = typePick < 224 ? REGISTRY_TYPE_BINARY : typePick & 0x0F;
    std::string rest = input.Rest();
    value.bytes.assign(rest.begin(), rest.end());

    const std::optional<GiveBackRecord> decoded = DecodeGiveBackRecord(value.bytes);
    // A version-1 record is written again as the current version.
    if (decoded && value.bytes[4] == GIVE_BACK_RECORD_VERSION)
        FUZZ_CHECK(EncodeGiveBackRecord(*decoded) == value.bytes);

    FakeRegistry registry;
    registry.values[GIVE_BACK_VALUE_NAME] = value;
    OpenedKey key = OpenFakeKey(registry);
    FakePowerStore power;
    const auto owner = power.values;
    power.values = {};  // as arming left them: every action "Do nothing"
    for (const auto& [slot, action] : owner)
        power.values[slot] = power.inEffect[slot] = POWER_ACTION_DO_NOTHING;
    const auto armed = power.values;

    std::optional<GiveBackRecord> left;
    const bool given = GiveBackLeftOver(*key.key, power, [&](const GiveBackRecord& record) { left = record; });
    FUZZ_CHECK(given == left.has_value());
    FUZZ_CHECK(left.has_value() == (decoded && value.type == REGISTRY_TYPE_BINARY &&
                                    value.bytes.size() <= GIVE_BACK_RECORD_MAX_BYTES));
    FUZZ_CHECK(registry.values.count(GIVE_BACK_VALUE_NAME) == 0);
    if (!left) {
        FUZZ_CHECK(power.values == armed && power.inEffect == armed);
        return 0;
    }
    // What the caller gives back is what was decoded.
    FUZZ_CHECK(left->volume.endpoints == decoded->volume.endpoints);
    FUZZ_CHECK(left->volume.mixer == decoded->volume.mixer && left->shortcuts == decoded->shortcuts);
    return 0;
}
