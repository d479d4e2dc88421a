#include "channels/ArticleRoutes.h"

std::shared_ptr<ui::ViewController> makeArticleDetail(const std::string&, bool) { return nullptr; }

std::type_index channelListClass(const std::string&) { return std::type_index(typeid(void)); }

std::shared_ptr<ui::ViewController> makeChannelList(const std::string&) { return nullptr; }
