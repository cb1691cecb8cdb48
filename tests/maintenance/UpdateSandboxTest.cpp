#include "SandboxSupport.h"
#include "maintenance/MakerSite.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

using namespace brevane;

// The user's own settings file names the maker's site. An attacker who can
// write it (it is theirs) offers curl a config file of their own in its
// place; run as root that copies any file anywhere. Even run as root, the
// query must fetch nothing but the version.
TEST(UpdateSandbox, AnOptionInTheSiteSettingReachesNoCurlOption)
{
    SKIP_OUTSIDE_SANDBOX();
    sandbox::run({"useradd", "-m", "attacker"});
    const QString config = "/home/attacker/cfg/software/version.php?item_number=3006";
    sandbox::writeFile(config, "url = \"file:///etc/shadow\"\noutput = \"/root/stolen\"\n", 0644);
    QFile::remove("/root/stolen");

    QSettings().setValue(makerSiteKey, "-K/home/attacker/cfg");
    sandbox::run(versionQueryCommand());
    QSettings().remove(makerSiteKey);
    EXPECT_FALSE(QFile::exists("/root/stolen"));
}
