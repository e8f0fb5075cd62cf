#pragma once
// Files by UTF-8 name. The C library's own calls take the system's ANSI code page
// on Windows, where a folder named in another script turns into question marks;
// these take the name as UTF-8 everywhere and pass it on in UTF-16 there.
#include <cstdio>

// As std::fopen; null when the name is null or the file cannot be opened.
std::FILE* OpenFile(const char* szPath, const char* szMode);
// True when the file was removed.
bool RemoveFile(const char* szPath);
// True when the folder exists afterwards (made now or already there); its parent
// must exist.
bool MakeFolder(const char* szPath);
