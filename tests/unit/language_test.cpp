#include <gtest/gtest.h>

#include "app/preferred_languages.h"
#include "common/language.h"

namespace pw {
namespace {

TEST(Language, FirstPreferredLanguageDecides)
{
    EXPECT_TRUE(prefersFrench({}));
    EXPECT_TRUE(prefersFrench({"fr"}));
    EXPECT_TRUE(prefersFrench({"FR"}));
    EXPECT_TRUE(prefersFrench({"fr-CA"}));
    EXPECT_TRUE(prefersFrench({"fr_FR.UTF-8", "en"}));
    EXPECT_FALSE(prefersFrench({"en-FR"}));
    EXPECT_FALSE(prefersFrench({"de", "fr"}));
    EXPECT_FALSE(prefersFrench({"f"}));
    EXPECT_FALSE(prefersFrench({""}));
}

TEST(Language, ThePageIsToldTheSameLanguages)
{
    EXPECT_EQ(pageLanguages({}), std::vector<std::string>{"fr"});
    EXPECT_EQ(pageLanguages({"en_GB.UTF-8", "en_GB", "en.UTF-8", "en", "fr@euro"}),
              (std::vector<std::string>{"en-GB", "en", "fr"}));
    EXPECT_TRUE(prefersFrench(pageLanguages({})));
}

TEST(Language, TrPicksTheInterfaceLanguage)
{
    setFrench(true);
    EXPECT_EQ(tr("Annuler", "Cancel"), "Annuler");
    setFrench(false);
    EXPECT_EQ(tr("Annuler", "Cancel"), "Cancel");
}

}  // namespace
}  // namespace pw
