// A message shared with Mervio: title, description, thumbnail and tags, and
// one media object carrying the content (image, music, video, web page, file,
// app data or emoticon). Plain value records; the limits on their fields are
// checked when a message is written into a record (AppCommunicateData.h).
//
//   auto message = MVMediaMessage::message();
//   message->title = "标题";
//   message->setThumbImage(image);                  // JPEG at quality 0.6
//   auto web = MVWebpageObject::object();
//   web->webpageUrl = "http://example.org/";
//   message->mediaObject = web;
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/Image.h"

// Each media object's type number in a record ("objectType").
enum MVMediaObjectType : unsigned {
    MVMediaObjectTypeImage = 2,
    MVMediaObjectTypeMusic = 3,
    MVMediaObjectTypeVideo = 4,
    MVMediaObjectTypeWebpage = 5,
    MVMediaObjectTypeFile = 6,
    MVMediaObjectTypeAppExtend = 7,
    MVMediaObjectTypeEmoticon = 8,
};

// The common base of the seven media objects, tagged with its type.
class MVMediaObject {
public:
    virtual ~MVMediaObject() = default;
    virtual MVMediaObjectType objectType() const = 0;
};

using MVMediaObjectPtr = std::shared_ptr<MVMediaObject>;

template <class T, MVMediaObjectType Type>
class MVMediaObjectOf : public MVMediaObject {
public:
    static constexpr MVMediaObjectType kType = Type;
    MVMediaObjectType objectType() const override { return Type; }
    static std::shared_ptr<T> object() { return std::make_shared<T>(); }
};

class MVImageObject : public MVMediaObjectOf<MVImageObject, MVMediaObjectTypeImage> {
public:
    ns::Bytes imageData;
    std::string imageUrl;
};

class MVMusicObject : public MVMediaObjectOf<MVMusicObject, MVMediaObjectTypeMusic> {
public:
    std::string musicUrl;
    std::string musicLowBandUrl;
    std::string musicDataUrl;
    std::string musicLowBandDataUrl;
};

class MVVideoObject : public MVMediaObjectOf<MVVideoObject, MVMediaObjectTypeVideo> {
public:
    std::string videoUrl;
    std::string videoLowBandUrl;
};

class MVWebpageObject : public MVMediaObjectOf<MVWebpageObject, MVMediaObjectTypeWebpage> {
public:
    std::string webpageUrl;
};

class MVFileObject : public MVMediaObjectOf<MVFileObject, MVMediaObjectTypeFile> {
public:
    std::string fileExtension;
    ns::Bytes fileData;
};

class MVAppExtendObject : public MVMediaObjectOf<MVAppExtendObject, MVMediaObjectTypeAppExtend> {
public:
    std::string url;
    std::string extInfo;
    ns::Bytes fileData;
};

class MVEmoticonObject : public MVMediaObjectOf<MVEmoticonObject, MVMediaObjectTypeEmoticon> {
public:
    ns::Bytes emoticonData;
};

class MVMediaMessage {
public:
    static std::shared_ptr<MVMediaMessage> message() { return std::make_shared<MVMediaMessage>(); }

    std::string title;
    std::string description;
    ns::Bytes thumbData;
    std::string mediaTagName;
    MVMediaObjectPtr mediaObject;
    std::string messageExt;
    std::string messageAction;

    // The thumbnail as JPEG at compression quality 0.6; nothing for no image.
    void setThumbImage(const ui::ImagePtr& image);
};

using MVMediaMessagePtr = std::shared_ptr<MVMediaMessage>;
