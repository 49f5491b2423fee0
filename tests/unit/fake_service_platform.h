// The service protocol's platform in memory, for the protocol's tests and
// fuzz target: every call recorded as a line of text, in order, and the
// requests with their kind and address.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "online/service_protocol.h"

class FakeServicePlatform : public ServicePlatform {
public:
    struct Request {
        int kind;
        std::string url;
    };
    std::vector<Request> requests;
    std::vector<std::string> calls;
    UtcDate today{2024, 3, 15};

    // How many calls were recorded as exactly this line, or starting with
    // this text.
    size_t Count(const std::string& call) const { return size_t(std::count(calls.begin(), calls.end(), call)); }
    size_t CountStartingWith(const std::string& start) const
    {
        return size_t(std::count_if(calls.begin(), calls.end(), [&start](const std::string& call) {
            return call.compare(0, start.size(), start) == 0;
        }));
    }

    void IssueRequest(int kind, const std::string& url) override
    {
        requests.push_back({kind, url});
        calls.push_back("request " + std::to_string(kind));
    }
    void StartConnectionWatchdog() override { calls.push_back("watchdog start"); }
    void CancelConnectionWatchdog() override { calls.push_back("watchdog cancel"); }
    void ResetAccountIndicator() override { calls.push_back("reset"); }
    void StepAccountIndicator() override { calls.push_back("step"); }
    void SetAccountIndicatorColour(uint8_t red, uint8_t green) override
    {
        calls.push_back("colour " + std::to_string(red) + "," + std::to_string(green));
    }
    void ShowSmsBalance(int32_t balance) override { calls.push_back("balance " + std::to_string(balance)); }
    void LoginAnswered(bool valid, int32_t balance) override
    {
        calls.push_back(valid ? "login valid " + std::to_string(balance) : "login invalid");
    }
    void UpdateCheckAnswered(const UtcDate& date) override
    {
        calls.push_back("checked " + std::to_string(date.year) + "-" + std::to_string(date.month) + "-" +
                        std::to_string(date.day));
        checked = date;
    }
    UtcDate checked;
    void OfferHomePage(const std::string& url) override { calls.push_back("offer " + url); }
    UtcDate CurrentUtcDate() override { return today; }
};
