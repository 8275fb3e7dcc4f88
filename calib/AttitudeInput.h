#pragma once

#include <QByteArray>
#include <QString>

// The pitch and roll fields of the attitude reset, checked before anything is sent.
//
// A field is valid when its text (blanks around it allowed) is a finite decimal number in the
// C locale ("12.5", "-0.019", "1e1") strictly between -180 and 180 degrees: 179.99 is taken,
// 180 and -180 are not, nor an empty field, "abc", "12,5", "nan" or "inf". The value sent is the
// typed value in hundredths of a degree, truncated toward zero (12.345 -> 1234, -0.019 -> -1,
// 179.99 -> 17999), computed so that a typed hundredth is never lost to binary rounding
// (-163.79 -> -16379). Pure functions: any thread.
class AttitudeInput
{
public:
    enum class Problem
    {
        None,
        Empty,
        NotANumber,
        OutOfRange, // 180 degrees or more in magnitude
    };
    struct Angle
    {
        Problem problem = Problem::Empty;
        double degrees = 0.0; // the typed value (valid only)
        int centidegrees = 0; // what is sent (valid only)
    };
    struct Result
    {
        Angle pitch, roll;
        QByteArray frame; // the 13-byte attitude set command; empty unless both are valid

        bool valid() const { return !frame.isEmpty(); }
        // What is wrong, per field, in the current interface language ("Pitch is empty").
        QString reason() const;
        // The debug line: "需要发送的数字为" and the two integers sent.
        QString debugLine() const;
    };

    static Angle parseAngle(const QString &text);
    static Result parse(const QString &pitchText, const QString &rollText);

    // The texts of the reset's message boxes, in the current interface language.
    static QString invalidText();        // "当前输入不合法或者超过量程"
    static QString noPortHeadingText();  // "请先打开串口后再将航向角置零"
    static QString noPortAttitudeText(); // "请先打开串口后再设置姿态角"
};
