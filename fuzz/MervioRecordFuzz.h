// What the Mervio targets share: every reader of an app-to-app record, and
// the promise that each answers only for its own command codes.
#pragma once

#include "FuzzSupport.h"
#include "mervio/apps/AppCommunicateData.h"

namespace fuzz {

inline void readRecord(const AppCommunicateData& record) {
    std::uint64_t command = record.command();
    if (!record.propertList().isDictionary()) FUZZ_CHECK(command == 0);
    if (record.textMessage()) FUZZ_CHECK(command == MVCommandTextMessage);
    if (record.authRequest()) FUZZ_CHECK(command == MVCommandAuth);
    if (record.authResp()) FUZZ_CHECK(command == MVCommandAuth);
    if (record.mediaMessage()) FUZZ_CHECK(command == MVCommandMediaMessage || command == MVCommandLaunch);
    if (record.mediaInternalMessage()) FUZZ_CHECK(command == MVCommandMediaMessage);
    record.DataToReq();
    record.DataToResp();
}

}  // namespace fuzz
