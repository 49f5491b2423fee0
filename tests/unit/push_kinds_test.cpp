// What each push service is sent and how its answer is judged, a refusal
// inside HTTP 200 too. Fakes show what the system's Base64 and HMAC-SHA256
// (tested under Wine: tests/wine/adapters/crypto_test.cpp) are given.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "online/push_kinds.h"

namespace {

TEST(PushKinds, EachMakesItsRequestAndJudgesItsAnswer)
{
    const PushCrypto fake = {[](const std::string& bytes) { return "b64(" + bytes + ")"; },
                             [](const std::string& key, const std::string& message) {
                                 return "hmac(" + key + "|" + message + ")";
                             },
                             [](const std::string& bytes) { return "md5(" + bytes + ")"; }};
    const PushMessage alarm{"Kestrova alarm", "urgent", "rotating_light", "Went \"off\"\t\xc3\xa9."};
    const std::string json = "Content-Type: application/json; charset=utf-8\r\n";
    const std::string text = R"("Kestrova alarm\nWent \"off\"\u0009)" "\xc3\xa9" R"(.")";
    const std::string bot = R"({"msgtype":"text","text":{"content":)" + text + "}}";
    const struct {
        PushTarget target;
        std::string url, headers, body;
    } requests[] = {
        {{PushKind::Ntfy, "https://ntfy.sh/kim?auth=a", "tk_AbC"}, "https://ntfy.sh/?auth=a",
         json + "Authorization: Bearer tk_AbC\r\n",
         R"({"topic":"kim","title":"Kestrova alarm","message":"Went \"off\"\u0009)" "\xc3\xa9"
         R"(.","priority":5,"tags":["rotating_light"]})"},
        {{PushKind::Bark, "https://api.day.app/K3y/x", "phil:pw"}, "https://api.day.app/push",
         json + "Authorization: Basic b64(phil:pw)\r\n",
         R"({"device_key":"K3y","title":"Kestrova alarm","body":"Went \"off\"\u0009)" "\xc3\xa9"
         R"(.","level":"critical","volume":10})"},
        {{PushKind::WeCom, "https://q.example/send?key=k", "tk_AbC"}, "https://q.example/send?key=k", json, bot},
        {{PushKind::DingTalk, "https://d.example/send?access_token=t", "SECx"},
         "https://d.example/send?access_token=t&timestamp=1700000000123&sign=b64%28hmac%28SECx%7C1700000000123%0ASECx"
         "%29%29",
         json, bot},
        {{PushKind::Feishu, "https://f.example/hook/h", "s"}, "https://f.example/hook/h", json,
         R"j({"timestamp":"1700000000","sign":"b64(hmac(1700000000\ns|))","msg_type":"text","content":{"text":)j" +
             text + "}}"},
    };
    for (const auto& row : requests) {
        const PushRequest request = MakePushRequest(row.target, alarm, 1700000000123, fake);
        EXPECT_EQ(std::make_tuple(request.url, request.headers, request.body),
                  std::make_tuple(row.url, row.headers, row.body));
    }

    // A photo: ntfy's PUT of the JPEG, every header not one line of printable
    // ASCII in RFC 2047; WeCom's image with the MD5 of the raw bytes.
    const PushMessage photo = PhotoPush("moved", "20261208-234107.jpg", "\xe5\xb0\x8f\xe6\x9e\x97", {2026, 12, 8});
    const PushRequest put = MakePhotoRequest({PushKind::Ntfy, "https://ntfy.sh/kim?auth=a", "tk_AbC"}, photo,
                                             "\xff\xd8jpeg", 0, fake);
    EXPECT_EQ(std::make_tuple(put.url, std::string(put.method), put.headers, put.body),
              std::make_tuple("https://ntfy.sh/kim?auth=a", "PUT",
                              "Content-Type: image/jpeg\r\nFilename: 20261208-234107.jpg\r\nTitle: Kestrova alarm "
                              "photo\r\nMessage: =?UTF-8?B?b64(" + photo.body + ")?=\r\nPriority: 5\r\nTags: camera"
                              "\r\nAuthorization: Bearer tk_AbC\r\n", "\xff\xd8jpeg"));
    EXPECT_EQ(MakePhotoRequest({PushKind::WeCom, "https://q.example/s?key=k", ""}, photo, "\xff\xd8jpeg", 0, fake).body,
              "{\"msgtype\":\"image\",\"image\":{\"base64\":\"b64(\xff\xd8jpeg)\",\"md5\":\"md5(\xff\xd8jpeg)\"}}");

    const struct {
        PushKind kind;
        uint32_t status;
        const char* body;
        bool taken;
        std::optional<int64_t> code;
        const char* words;
    } answers[] = {
        {PushKind::Ntfy, 200, R"({"id":"x"})", true, std::nullopt, ""},
        {PushKind::Ntfy, 403, R"({"code":40301})", false, std::nullopt, ""},
        {PushKind::Bark, 200, R"({"code":200,"message":"success"})", true, 200, "success"},
        {PushKind::Bark, 400, R"({"code":400,"message":"failed"})", false, 400, "failed"},
        {PushKind::WeCom, 200, R"({"errcode":93000,"errmsg":"invalid \"webhook\" \u7e41"})", false, 93000,
         "invalid \"webhook\" u7e41"},
        {PushKind::DingTalk, 200, R"({ "errcode" : 0 , "errmsg" : "ok" })", true, 0, "ok"},
        {PushKind::Feishu, 200, R"({"StatusCode":0,"code":0,"msg":"success"})", true, 0, "success"},
        {PushKind::Feishu, 200, R"({"code":19021,"msg":"sign match fail"})", false, 19021, "sign match fail"},
        {PushKind::Feishu, 200, "OK", false, std::nullopt, ""},
    };
    for (const auto& row : answers) {
        PushOutcome outcome;
        outcome.httpStatus = row.status;
        JudgePushAnswer(row.kind, row.body, outcome);
        EXPECT_EQ(std::make_tuple(outcome.taken, outcome.code, outcome.words),
                  std::make_tuple(row.taken, row.code, std::string(row.words))) << row.body;
    }
}

}  // namespace
