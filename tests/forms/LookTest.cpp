#include "forms/Look.h"

#include "FormsTestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <vector>

namespace Look = KcForms::Look;

TEST(LookTest, EveryImageIsCompiledInWithItsSize)
{
    const std::vector<std::pair<QString, QSize>> images = {
        {Look::Image::StartBg, {1024, 768}},       {Look::Image::DroppingBg, {1024, 768}},
        {Look::Image::KelmsIcon, {32, 32}},        {Look::Image::CancelBtnNormal, {25, 25}},
        {Look::Image::CancelBtnHovered, {25, 25}}, {Look::Image::StatusPaneCancelBtnNormal, {25, 25}},
        {Look::Image::RefreshBtnNormal, {32, 32}}, {Look::Image::RefreshBtnHovered, {32, 32}},
        {Look::Image::ExclamationIcon, {16, 16}},  {Look::Image::ComboDownArrow, {19, 15}},
    };
    Look::initResources();
    for (const auto& [path, size] : images) {
        const QImage image(path);
        EXPECT_FALSE(image.isNull()) << path;
        EXPECT_EQ(image.size(), size) << path;
    }
}
