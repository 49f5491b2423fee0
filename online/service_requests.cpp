#include "online/service_requests.h"

#include "online/service_protocol.h"

namespace {

constexpr uint32_t IO_PENDING = 997;  // ERROR_IO_PENDING

bool Is2xx(uint32_t httpStatus)
{
    return httpStatus >= 200 && httpStatus <= 299;
}

}  // namespace

size_t ReplyBytesToRead(int kind, uint32_t httpStatus)
{
    size_t size = ReplyReadSize(kind);
    if (kind == KIND_ALARM_NOTICE && !Is2xx(httpStatus))
        ++size;
    return size;
}

ReadStep ReadStepOfCall(bool returned, uint32_t lastError)
{
    if (returned)
        return ReadStep::DONE;
    return lastError == IO_PENDING ? ReadStep::PENDING : ReadStep::FAILED;
}

ReadStep ReadStepOfCompletion(uint32_t errorCode)
{
    return errorCode == 0 ? ReadStep::DONE : ReadStep::FAILED;
}

bool ReplyStillWanted(int kind, uint32_t login, uint32_t newestLogin)
{
    if (kind != KIND_NONCE && kind != KIND_ACCOUNT_INFO)
        return true;
    return login == newestLogin;
}
