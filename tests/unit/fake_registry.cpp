#include "fake_registry.h"

namespace {

class FakeRegistryKey : public RegistryKey {
public:
    explicit FakeRegistryKey(FakeRegistry& registry) : registry_(registry) {}

    std::optional<RegistryValue> Read(const std::string& name, size_t bufferSize, TextWidth) override
    {
        auto found = registry_.values.find(name);
        if (found == registry_.values.end() || found->second.bytes.size() > bufferSize)
            return std::nullopt;
        return found->second;
    }

    uint32_t Write(const std::string& name, const RegistryValue& value, TextWidth) override
    {
        if (registry_.writeError != 0)
            return registry_.writeError;
        registry_.values[name] = value;
        ++registry_.writes;
        return 0;
    }

    bool Delete(const std::string& name) override
    {
        registry_.values.erase(name);
        return true;
    }

    uint32_t Flush() override
    {
        registry_.flushed = registry_.values;
        return 0;
    }

private:
    FakeRegistry& registry_;
};

}  // namespace

OpenedKey OpenFakeKey(FakeRegistry& registry)
{
    if (!registry.openable)
        return {};
    const bool created = !registry.exists;
    registry.exists = true;
    return {std::make_unique<FakeRegistryKey>(registry), created};
}

FakeRegistry& TestRegistry()
{
    static FakeRegistry registry;
    return registry;
}
