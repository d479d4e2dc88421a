// The UI layer in one include. See Object.h for how objects are created and
// owned, View.h for views, ViewController.h for screens.
#pragma once

#include "uikit/Alert.h"
#include "uikit/Application.h"
#include "uikit/BarButtonItem.h"
#include "uikit/Button.h"
#include "uikit/Color.h"
#include "uikit/Control.h"
#include "uikit/Dump.h"
#include "uikit/Font.h"
#include "uikit/Geometry.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/Object.h"
#include "uikit/Responder.h"
#include "uikit/Text.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"
#include "uikit/Window.h"
