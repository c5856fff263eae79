#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <unistd.h>

// Changes the working directory for one test and restores it.
class CWorkingDirectory {
public:
    explicit CWorkingDirectory(const std::string& path)
    {
        char* pOld = ::getcwd(nullptr, 0);
        if (pOld) {
            m_old = pOld;
            std::free(pOld);
        }
        m_bChanged = ::chdir(path.c_str()) == 0;
    }
    ~CWorkingDirectory()
    {
        if (m_bChanged && !m_old.empty() && ::chdir(m_old.c_str()) != 0)
            ADD_FAILURE() << "cannot return to " << m_old;
    }
    CWorkingDirectory(const CWorkingDirectory&) = delete;
    CWorkingDirectory& operator=(const CWorkingDirectory&) = delete;

    bool Changed() const { return m_bChanged; }

private:
    std::string m_old;
    bool m_bChanged = false;
};
