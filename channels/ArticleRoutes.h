// The screens a list row opens, built by the units that own them.
#pragma once

#include <memory>
#include <string>
#include <typeindex>

#include "uikit/ViewController.h"

// The current-affairs article detail for the article id, with the list's
// login flag handed on; nullptr when this program has no detail screen.
std::shared_ptr<ui::ViewController> makeArticleDetail(const std::string& articleId, bool islogin);

// A current-affairs channel list (category code "velmarshdongtai",
// "lingdaoyanlun" or "ganburenmian"): its class, and a new one with the
// code set; nullptr when this program has no such list.
std::type_index channelListClass(const std::string& categoryCode);
std::shared_ptr<ui::ViewController> makeChannelList(const std::string& categoryCode);
