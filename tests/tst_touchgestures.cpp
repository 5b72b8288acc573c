// The show's keys on a touch screen (core/touchgestures.h): each gesture
// stands for its key, by the distances and times the gestures are told
// apart by, fed exact touch times.

#include "datarows.h"
#include "touchgestures.h"

#include <QtTest>

class TouchGesturesTest : public QObject
{
    Q_OBJECT

private slots:
    void gesturesAreTheirKeys_data();
    void gesturesAreTheirKeys();
};

void TouchGesturesTest::gesturesAreTheirKeys_data()
{
    // A script of one finger's touches: "d X Y MS" down, "u X Y MS" up,
    // "t MS" a frame asking what is due, "c" the browser taking the touch
    // over. Each step gives the browser's code of the key it stands for, or
    // "-". By hand from the rules: a tap moves under 20 px in under 500 ms
    // and acts 300 ms after it ends unless a second tap starts before then;
    // a swipe moves 50 px or more, along its longer axis (screen y grows
    // downwards); anything between does nothing.
    addRows<QString, QString>({"script", "keys"}, {
        {"a tap holds once the time for a second tap is over",
         "d 100 100 0; u 105 100 100; t 399; t 400; t 900", "- - - Space -"},
        {"a double tap restarts, and holds nothing",
         "d 100 100 0; u 100 100 80; d 102 100 250; u 102 100 320; t 1000", "- - - Enter -"},
        {"a second tap 300 ms after the first is a tap of its own",
         "d 0 0 0; u 0 0 80; d 0 0 380; u 0 0 440; t 739; t 740", "- - Space - - Space"},
        {"a swipe right seeks a second on", "d 100 100 0; u 160 110 200", "- ArrowRight"},
        {"a swipe left seeks a second back", "d 100 100 0; u 40 90 200", "- ArrowLeft"},
        {"a swipe up seeks ten seconds on", "d 100 200 0; u 110 120 200", "- ArrowUp"},
        {"a swipe down seeks ten seconds back", "d 100 100 0; u 90 160 200", "- ArrowDown"},
        {"a slow swipe still swipes", "d 100 100 0; u 150 100 3000", "- ArrowRight"},
        {"a long press does nothing", "d 100 100 0; u 100 100 500; t 2000", "- - -"},
        {"a short drag does nothing", "d 100 100 0; u 130 120 100; t 2000", "- - -"},
        {"a tap just before a swipe is part of it",
         "d 100 100 0; u 100 100 80; d 100 100 150; u 200 100 250; t 1000", "- - - ArrowRight -"},
        {"a touch the browser took over does nothing", "d 100 100 0; c; u 100 100 80; t 1000", "- - - -"},
    });
}

void TouchGesturesTest::gesturesAreTheirKeys()
{
    QFETCH(QString, script);
    QFETCH(QString, keys);

    TouchGestures gestures;
    QStringList got;
    for (const QString &step : script.split(QStringLiteral("; "))) {
        const QStringList word = step.split(QLatin1Char(' '));
        const auto number = [&](int i) { return word.at(i).toDouble(); };
        KeyMap::Binding binding = KeyMap::none;
        if (word[0] == QLatin1String("d"))
            binding = gestures.down(number(1), number(2), number(3));
        else if (word[0] == QLatin1String("u"))
            binding = gestures.up(number(1), number(2), number(3));
        else if (word[0] == QLatin1String("t"))
            binding = gestures.due(number(1));
        else
            gestures.cancel();
        got << (binding.action == KeyMap::Action::None ? QStringLiteral("-") : QString::fromLatin1(binding.domCode));
    }
    QCOMPARE(got.join(QLatin1Char(' ')), keys);
}

QTEST_APPLESS_MAIN(TouchGesturesTest)
#include "tst_touchgestures.moc"
