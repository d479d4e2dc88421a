// The list reply the service benchmarks share: one page of ten articles, as
// the service answers GetArticleList (a result of about 4 KB, mostly Chinese).
#pragma once

#include <string>

#include "foundation/Value.h"
#include "service/JSON.h"

inline std::string pageOfArticles() {
    ns::Value records = ns::Value::array();
    for (int i = 0; i < 10; ++i)
        records.push(ns::Value::dictionary({{"id", ns::Value(std::to_string(100 + i))},
                                            {"title", ns::Value("基层党组织建设工作推进会议召开（第" + std::to_string(i) + "期）")},
                                            {"add_time", ns::Value("2015-03-12 09:30:00")},
                                            {"img_url", ns::Value("/upload/201503/" + std::to_string(i) + ".jpg")},
                                            {"zhaiyao", ns::Value("会议强调，要深入学习贯彻党的精神，切实把各项工作落到实处，"
                                                                  "推动基层服务型党组织建设不断取得新成效。")},
                                            {"support_count", ns::Value(i)}}));
    return JSONRepresentation(ns::Value::dictionary(
        {{"state", ns::Value("successful")}, {"message", ns::Value("")}, {"records", records}}));
}
