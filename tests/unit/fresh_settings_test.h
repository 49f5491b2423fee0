// A test that starts from a settings record loaded from an empty in-memory
// registry and leaves no record behind for the next test.
#pragma once

#include <gtest/gtest.h>

#include "fake_registry.h"
#include "settings/settings.h"

class FreshSettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        DestroySettings();
        TestRegistry() = FakeRegistry();
        LoadSettingsFrom(store);
    }
    void TearDown() override { DestroySettings(); }

    FakeRegistryStore store{TestRegistry()};
};
