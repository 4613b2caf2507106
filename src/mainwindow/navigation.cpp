#include "mainwindow/navigation.h"

using namespace Qt::StringLiterals;

namespace mavrel {

QString adultNoticeText()
{
    static const QString paragraphs[] = {
        u"In order to have access to this adult section you must be at least 18 years old or 21 "
        "years old, in some jurisdictions, and your must have the legal right to view adult "
        "material in the country from which you are accessing this section."_s,
        u"By the act of entering this adult section you are agreeing, under penalty of purjury, "
        "that you are legal age and that you will not permit any person under the legal age or "
        "anyone who may be offended, to have access to this section."_s,
        u"You also agree that you are not offended by nudity or sexually explicit adult images "
        "and you are choosing to view such material."_s,
        u"You also agree to be responsible for any violation to your local law and to release "
        "and hold harmless the legal owner of this software, its creators, employees or "
        "contractors from any liability which might arise and to indemnify them from any losses, "
        "costs, and expenses incurred by them as a result of your viewing materials from this "
        "adult section."_s,
    };
    QString text;
    for (const QString &p : paragraphs) {
        if (!text.isEmpty())
            text += u"\r\n\r\n"_s;
        text += p;
    }
    return text;
}

} // namespace mavrel
