// The application's name on its question box, and the panel's icon from the theme.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/application_identity.h"
#include "panel/control_ids.h"
#include "panel/panel_icon.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

class ApplicationIdentityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    PreparePanelTests(m_deviceFolder);
    app::SetApplicationIdentity();
  }

  void questionBoxCarriesTheApplicationName() {
    PanelRig rig;
    rig.services.askInitSystemData = DesktopServices().askInitSystemData;  // the real box
    rig.Open(/*service=*/true);
    QString caption;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      caption = box->windowTitle();
      QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    answer.start(10);
    rig.Click(IDC_DEFAULT_SETTINGS);
    QCOMPARE(caption, QStringLiteral("VELMOR Control"));
  }

  void iconComesFromTheThemeWhenInstalled() {
    QTemporaryDir themes;
    const QString hicolor = themes.filePath("hicolor");
    QVERIFY(QDir().mkpath(hicolor + "/48x48/apps"));
    QFile index(hicolor + "/index.theme");
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write(
        "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n"
        "[48x48/apps]\nSize=48\nType=Fixed\n");
    index.close();
    QPixmap file(48, 48);
    file.fill(Qt::red);
    QVERIFY(file.save(hicolor + "/48x48/apps/velmor-control.png"));

    // A theme icon is looked up again whenever it is used, so each is read while its paths hold.
    const QStringList searchPaths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({themes.path()});
    QIcon::setThemeName("hicolor");
    QCOMPARE(panel::PanelIcon().name(), QStringLiteral("velmor-control"));
    QIcon::setThemeSearchPaths({});
    const QIcon drawn = panel::PanelIcon();
    QVERIFY(drawn.name().isEmpty());
    QVERIFY(!drawn.pixmap(48).isNull());
    QIcon::setThemeSearchPaths(searchPaths);
  }

 private:
  QTemporaryDir m_deviceFolder;
};

QTEST_MAIN(ApplicationIdentityTest)
#include "application_identity_test.moc"
