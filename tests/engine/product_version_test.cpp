// Versions compared, patch ranges read, and what a setup refuses against the
// version its registration names.
#include <gtest/gtest.h>

#include "engine/product_version.h"

namespace ferry {
namespace {

TEST(ProductVersion, CompareByLeadingNumbers) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  for (const Case& c : {Case{"1.2", "1.2", 0}, Case{"1.2", "1.2.0", 0}, Case{"1.10", "1.9", 1},
                        Case{"1.1", "1.2", -1}, Case{"2", "1.9.9", 1}, Case{"1.2 beta", "1.2", 0},
                        Case{"1.2.0.5 beta", "1.2.0.4", 1}}) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    const int got = CompareVersions(c.a, c.b);
    EXPECT_EQ((got > 0) - (got < 0), c.sign);
  }
}

TEST(ProductVersion, PatchRanges) {
  struct Case {
    const char* text;
    bool valid;
    const char* from;
    const char* to;
  };
  for (const Case& c : {Case{"1.1", true, "1.1", "1.1"}, Case{"1.0-1.1", true, "1.0", "1.1"},
                        Case{"1.0 - 1.2.3", true, "1.0", "1.2.3"}, Case{"1.2-1.1", false, "", ""},
                        Case{"beta", false, "", ""}, Case{"1.1 beta", false, "", ""}, Case{"1.0-", false, "", ""},
                        Case{"", false, "", ""}}) {
    SCOPED_TRACE(c.text);
    std::optional<VersionRange> range = ParseVersionRange(c.text);
    ASSERT_EQ(range.has_value(), c.valid);
    if (!range) continue;
    EXPECT_EQ(range->From, c.from);
    EXPECT_EQ(range->To, c.to);
  }
  const VersionRange range = *ParseVersionRange("1.0-1.1");
  EXPECT_TRUE(range.Contains("1.0"));
  EXPECT_TRUE(range.Contains("1.1.0"));
  EXPECT_FALSE(range.Contains("1.2"));
  EXPECT_FALSE(range.Contains("0.9"));
}

TEST(ProductVersion, WhatASetupRefuses) {
  struct Case {
    const char* own;
    const char* patchFor;  // "" none
    const char* installed;  // nullptr: not installed
    bool allowDowngrade;
    const char* why;  // "" accepted
    bool notPatchable;
  };
  const Case cases[] = {
      {"1.2", "", nullptr, false, "", false},
      {"1.2", "", "1.1", false, "", false},
      {"1.2", "", "1.2", false, "", false},
      {"1.1", "", "1.2", false,
       "\"Atlas\" version 1.2 is installed, newer than this setup's version 1.1; start the setup with "
       "/ALLOWDOWNGRADE to replace it.",
       false},
      {"1.1", "", "1.2", true, "", false},
      {"", "", "1.2", false, "", false},  // no @version: nothing to compare
      {"1.2", "1.1", "1.1", false, "", false},
      {"1.2", "1.1", "1.0", false, "This patch is for \"Atlas\" version 1.1; version 1.0 is installed.", true},
      {"1.2", "1.1", "1.2", true, "This patch is for \"Atlas\" version 1.1; version 1.2 is installed.", true},
      {"1.2", "1.1", nullptr, false, "This patch is for \"Atlas\" version 1.1, which is not installed.", true},
      {"1.2", "1.0-1.1", "1.0.3", false, "", false},
      {"1.2", "1.0-1.1", "", false, "This patch is for \"Atlas\" versions 1.0 to 1.1, which is not installed.", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.own) + " patchfor '" + c.patchFor + "' over " + (c.installed ? c.installed : "none"));
    VersionCheck check;
    check.Title = "Atlas";
    check.Own = c.own;
    if (*c.patchFor) check.PatchFor = ParseVersionRange(c.patchFor);
    if (c.installed) check.Installed = c.installed;
    check.AllowDowngrade = c.allowDowngrade;
    std::optional<VersionRefusal> refusal = RefuseVersion(check);
    EXPECT_EQ(refusal ? refusal->Why : "", c.why);
    if (refusal) {
      EXPECT_EQ(refusal->NotPatchable, c.notPatchable);
    }
  }
}

}  // namespace
}  // namespace ferry
