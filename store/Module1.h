#pragma once

#include <QString>

#include <cstdint>

// Run-time values the windows hand to each other. Marks hold "1" for yes and "" for no.
namespace Module1 {

inline QString varLoginUser;
inline QString varLoginPwd;
inline QString RecordPhoto;
inline QString PhotoChosen;
inline QString InputChecked;
inline QString PhotoSource;
inline QString PhoneTaken;
inline std::int64_t intCondCount = 0;
// The camera window's preview; an opaque handle so the store stays free of widgets.
inline void* hCapWnd = nullptr;

inline void resetAll()
{
    varLoginUser.clear();
    varLoginPwd.clear();
    RecordPhoto.clear();
    PhotoChosen.clear();
    InputChecked.clear();
    PhotoSource.clear();
    PhoneTaken.clear();
    intCondCount = 0;
    hCapWnd = nullptr;
}

} // namespace Module1
