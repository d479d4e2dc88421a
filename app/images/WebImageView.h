// Remote images for image views and buttons.
//
//   setImageWithURL(headimagev, record["img_url"].text(), ui::Image::imageNamed("icon_empty.png"));
//   setImageWithURL(bigImagev, url);                       // no placeholder
//   setImageWithURL(button, url, placeholder);             // the button's normal-state image
//
// Each call first cancels the view's previous load, then shows the
// placeholder at once (no placeholder clears the image), then, for an
// address, asks the shared image manager and shows the image when it
// arrives: at once when it is in memory. An empty address only shows the
// placeholder. A load that fails leaves the placeholder. A view that is
// given another address, or that goes away, never receives the image of an
// earlier address. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "uikit/Button.h"
#include "uikit/Image.h"
#include "uikit/ImageView.h"

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::string& url,
                     const ui::ImagePtr& placeholder = nullptr);
void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::string& url,
                     const ui::ImagePtr& placeholder = nullptr);

// Stops the view's pending load, if any; what it shows stays.
void cancelCurrentImageLoad(const ui::View* view);

// Views with a load still pending (tests).
std::size_t pendingImageLoads();
