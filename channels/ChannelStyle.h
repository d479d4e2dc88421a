// Colours and texts the article and comment screens share.
#pragma once

#include "uikit/Color.h"

namespace channelstyle {

// Rules, field borders and row separators.
inline constexpr ui::Color kRuleColor = ui::Color::colorWithRed(0.89, 0.89, 0.89, 1);
inline constexpr const char* kCommentPlaceholder = "我来说两句 ...";
// Progress overlay texts.
inline constexpr const char* kLoadingText = "加载中...";
inline constexpr const char* kCommentingText = "评论中...";
inline constexpr const char* kLoadFailedText = "加载失败！";
inline constexpr const char* kEmptyCommentText = "请输入要评论的内容";
// The comment screens' marker for an outstanding post.
inline constexpr const char* kCommentType = "pinglun";

}  // namespace channelstyle
