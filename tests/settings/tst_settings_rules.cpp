#include "keys/HotkeyNames.h"
#include "settings/ApiKeyInput.h"
#include "settings/HotkeyRecording.h"
#include "settings/SettingsManager.h"
#include "settings/SettingsWindowRules.h"
#include "support/TestEnvironment.h"

#include <QTest>

Q_DECLARE_METATYPE(KeyFieldState)
Q_DECLARE_METATYPE(KeySaveAction::Kind)
Q_DECLARE_METATYPE(TemplateSaveAction::Kind)
Q_DECLARE_METATYPE(RecordingDecision)
Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
constexpr int kEsc = 53, kGrave = 50;
constexpr int kSuper = CarbonModifier::control;
} // namespace

// The settings window's rules that decide what is stored, sent or recorded.
class TestSettingsRules : public QObject {
    Q_OBJECT
    TestEnvironment env;

    std::unique_ptr<SettingsManager> settings;

private Q_SLOTS:
    void init() { settings = std::make_unique<SettingsManager>(env.newPreferencesPath()); }

    void keySave_data() {
        QTest::addColumn<KeyFieldState>("state");
        QTest::addColumn<QString>("field");
        QTest::addColumn<KeySaveAction::Kind>("kind");
        QTest::addColumn<QString>("key");
        using K = KeySaveAction::Kind;
        const auto known = KeyFieldState::known, unavailable = KeyFieldState::unavailable;
        QTest::newRow("pasted with spaces and line breaks")
            << known << QStringLiteral("  sk-abc123 \r\n") << K::write << QStringLiteral("sk-abc123");
        QTest::newRow("no-break and ideographic spaces")
            << known << QStringLiteral("\u00a0sk-abc\u3000") << K::write << QStringLiteral("sk-abc");
        QTest::newRow("blank removes what the field showed")
            << known << QStringLiteral(" \n\t") << K::remove << QString();
        QTest::newRow("tab inside") << unavailable << QStringLiteral("sk-ab\tc") << K::refuse << QString();
        QTest::newRow("line separator inside")
            << known << QStringLiteral("sk-ab\u2028c") << K::refuse << QString();
        // A key the window could not read is never deleted by a field that never showed it.
        QTest::newRow("unreadable store, blank") << unavailable << QString() << K::keepStored << QString();
        QTest::newRow("unreadable store, new key")
            << unavailable << QStringLiteral("sk-new") << K::write << QStringLiteral("sk-new");
        QTest::newRow("still loading") << KeyFieldState::loading << QString() << K::keepStored << QString();
    }
    void keySave() {
        QFETCH(KeyFieldState, state);
        QFETCH(QString, field);
        QFETCH(KeySaveAction::Kind, kind);
        QFETCH(QString, key);
        QCOMPARE(resolveKeySave(state, field), (KeySaveAction{kind, key}));
    }

    void templateSave_data() {
        QTest::addColumn<bool>("usesDefault");
        QTest::addColumn<QString>("content");
        QTest::addColumn<TemplateSaveAction::Kind>("kind");
        QTest::addColumn<QString>("text");
        using K = TemplateSaveAction::Kind;
        QTest::newRow("default ignores the text")
            << true << QStringLiteral("anything") << K::useDefault << QString();
        QTest::newRow("custom blank")
            << false << QStringLiteral(" \n\t\u3000") << K::rejectEmpty << QString();
        QTest::newRow("custom kept untrimmed")
            << false << QStringLiteral(" 翻译：\n") << K::saveCustom << QStringLiteral(" 翻译：\n");
    }
    void templateSave() {
        QFETCH(bool, usesDefault);
        QFETCH(QString, content);
        QFETCH(TemplateSaveAction::Kind, kind);
        QFETCH(QString, text);
        QCOMPARE(resolveTemplateSave(usesDefault, content), (TemplateSaveAction{kind, text}));
    }

    void connectionTarget_data() {
        QTest::addColumn<std::optional<QString>>("modelInput");
        QTest::addColumn<QString>("modelOverride");
        QTest::addColumn<QString>("model");
        QTest::newRow("chosen model, trimmed") << std::optional(QStringLiteral(" deepseek-v4-pro "))
                                               << QString() << QStringLiteral("deepseek-v4-pro");
        QTest::newRow("no model: the built-in one")
            << std::optional<QString>() << QString() << QStringLiteral("deepseek-v4-flash");
        QTest::newRow("blank model: the stored override")
            << std::optional(QStringLiteral("  ")) << QStringLiteral("deepseek-custom")
            << QStringLiteral("deepseek-custom");
    }
    void connectionTarget() {
        QFETCH(std::optional<QString>, modelInput);
        QFETCH(QString, modelOverride);
        QFETCH(QString, model);
        settings->setModelOverride(modelOverride, AIProvider::deepseek);
        const ConnectionTarget target = resolveConnectionTarget(*settings, modelInput, AIProvider::deepseek);
        QCOMPARE(target.endpoint, settings->endpointURL(AIProvider::deepseek));
        QCOMPARE(target.model, model);
    }

    void models_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("models");
        QTest::addColumn<int>("selected");
        const QStringList qwen{QStringLiteral("qwen-turbo"), QStringLiteral("qwen-plus"),
                               QStringLiteral("qwen-max")};
        QTest::newRow("none stored: the built-in model") << QString() << qwen << 1;
        QTest::newRow("a listed override") << QStringLiteral("qwen-max") << qwen << 2;
        // Selecting the first item instead would overwrite the user's model at the next save.
        QTest::newRow("an unlisted override is kept")
            << QStringLiteral("qwen-long") << (qwen + QStringList{QStringLiteral("qwen-long")}) << 3;
    }
    void models() {
        QFETCH(QString, stored);
        QFETCH(QStringList, models);
        QFETCH(int, selected);
        settings->setModelOverride(stored, AIProvider::qwen);
        const ModelChoices choices = modelChoices(*settings, AIProvider::qwen);
        QCOMPARE(choices.models, models);
        QCOMPARE(choices.selected, selected);
    }

    // What real key presses cannot show; the recorder test presses the other cases.
    void recording_data() {
        QTest::addColumn<std::optional<int>>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<QList<int>>("solo");
        QTest::addColumn<RecordingDecision>("decision");
        using D = RecordingDecision;
        const QList<int> none, toggle{kGrave};
        const std::optional<int> esc(kEsc), unknown;
        QTest::newRow("Super alone") << unknown << kSuper << int(Qt::Key_Super_L) << none << D::ignore;
        QTest::newRow("Esc elsewhere") << esc << 0 << int(Qt::Key_Escape) << toggle << D::rejectBareKey;
        QTest::newRow("key without a code, with Super")
            << unknown << kSuper << int(Qt::Key_Menu) << none << D::rejectUnknownKey;
    }
    void recording() {
        QFETCH(std::optional<int>, keyCode);
        QFETCH(int, modifiers);
        QFETCH(int, qtKey);
        QFETCH(QList<int>, solo);
        QFETCH(RecordingDecision, decision);
        QCOMPARE(
            decideRecordedKey(keyCode, modifiers, isModifierKey(qtKey), QSet<int>(solo.begin(), solo.end())),
            decision);
    }
};

QTEST_GUILESS_MAIN(TestSettingsRules)
#include "tst_settings_rules.moc"
