// The regional party-building articles: the party-school article page under
// the channel's fixed title.
//
//   auto detail = ui::create<ZGYWDetailViewController>();
//   detail->article_id = record["id"].text();
//   navigationController()->pushViewController(detail, true);
#pragma once

#include "channels/CWDSDetailViewController.h"

class QZLXDetailViewController : public CWDSDetailViewController {
public:
    void init() override { titleStr = "群众路线"; }
};

class ZGYWDetailViewController : public CWDSDetailViewController {
public:
    void init() override { titleStr = "组工要闻"; }
};

class JCDTDetailViewController : public CWDSDetailViewController {
public:
    void init() override { titleStr = "基层动态"; }
};

class XJDXDetailViewController : public CWDSDetailViewController {
public:
    void init() override { titleStr = "先进典型"; }
};
