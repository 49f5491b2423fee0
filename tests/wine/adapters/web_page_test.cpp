// Web pages are opened from a thread that has COM as a single-threaded
// apartment, whichever thread asks.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <thread>

#include "win32/scoped_win32.h"
#include "win32/web_page_win32.h"

namespace {

ScopedHandle workDone;
APTTYPE apartment = APTTYPE_CURRENT;
HRESULT apartmentResult = E_FAIL;
std::string seenText;

void RecordApartment(const std::string& text)
{
    APTTYPEQUALIFIER qualifier;
    apartmentResult = CoGetApartmentType(&apartment, &qualifier);
    seenText = text;
    SetEvent(workDone.Get());
}

TEST(WebPage, WorkRunsInASingleThreadedApartmentFromAThreadWithoutCom)
{
    workDone.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(workDone);
    // Asked from a thread that never initialised COM, like the network's.
    bool started = false;
    std::thread asker([&] { started = RunOnStaThread(RecordApartment, "http://127.0.0.1:9/"); });
    asker.join();
    EXPECT_TRUE(started);
    ASSERT_EQ(WaitForSingleObject(workDone.Get(), 10000), WAIT_OBJECT_0);
    workDone.Reset();
    EXPECT_EQ(apartmentResult, S_OK);
    // The first single-threaded apartment of a process is its main one.
    EXPECT_TRUE(apartment == APTTYPE_STA || apartment == APTTYPE_MAINSTA) << apartment;
    EXPECT_EQ(seenText, "http://127.0.0.1:9/");
}

}  // namespace
