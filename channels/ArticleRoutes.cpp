#include "channels/ArticleRoutes.h"

#include "channels/ChannelLists.h"

namespace {

template <typename List>
std::shared_ptr<ui::ViewController> listWithCode(const std::string& categoryCode) {
    auto list = ui::create<List>();
    list->category_code = categoryCode;
    return list;
}

}  // namespace

std::type_index channelListClass(const std::string& categoryCode) {
    if (categoryCode == "velmarshdongtai") return std::type_index(typeid(VLDTViewController));
    if (categoryCode == "lingdaoyanlun") return std::type_index(typeid(LDYLViewController));
    if (categoryCode == "ganburenmian") return std::type_index(typeid(GBRMViewController));
    return std::type_index(typeid(void));
}

std::shared_ptr<ui::ViewController> makeChannelList(const std::string& categoryCode) {
    if (categoryCode == "velmarshdongtai") return listWithCode<VLDTViewController>(categoryCode);
    if (categoryCode == "lingdaoyanlun") return listWithCode<LDYLViewController>(categoryCode);
    if (categoryCode == "ganburenmian") return listWithCode<GBRMViewController>(categoryCode);
    return nullptr;
}
