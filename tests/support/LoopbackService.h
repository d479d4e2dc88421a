// The SOAP test service on 127.0.0.1 that service, screen and demo tests
// share: the SOAP server (tools/soapserver) with every request recorded and
// faults on demand.
//
//   LoopbackService svc;                       // listening once constructed
//   ServiceConfig::setEndpoint(svc.url());
//   svc.reply("GetArticleList", R"({"state":"successful","records":[]})");
//   ... client->news_request("1", "10", "code") ...
//   svc.received("GetArticleList")["parameters"]["category_code"]   // the parsed argument
//
// Faults: LoopbackService::status(500), fault(code, reason, status), cutShort(...), malformedXML(),
// withoutResult(), held() (answers only after release() or shutdown),
// dripping(...), closeWithoutReply(), and refusedURL() for a port nobody
// listens on. An operation without a scripted reply gets status 500 with a
// SOAP fault naming it. Plain GET paths (images, pages) are served with serve().
#pragma once

#include "soapserver/SoapServer.h"

class LoopbackService : public SoapServer {
public:
    using SoapServer::SoapServer;
};
