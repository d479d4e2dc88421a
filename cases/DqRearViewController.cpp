#include "cases/DqRearViewController.h"

#include "cases/DqFrontViewController.h"
#include "cases/MYDCViewController.h"
#include "cases/ZCDYViewController.h"

std::vector<RearMenu::Row> DqRearViewController::menuRows() {
    // The survey row builds a new survey every time, even over itself.
    RearMenu::Row survey = RearMenu::screenRow<MYDCViewController>(
        "民意调查", [](MYDCViewController& s) { s.category_code = "minyidiaocha"; });
    survey.screenClass = std::type_index(typeid(void));
    return {
        RearMenu::bareScreenRow<DqFrontViewController>("群众心声"),
        RearMenu::screenRow<ZCDYViewController>("政策答疑",
                                                [](ZCDYViewController& s) { s.category_code = "zhengcedayi"; }),
        survey,
        RearMenu::homeRow(),
    };
}
