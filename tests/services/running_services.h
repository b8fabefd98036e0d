#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <string>

#include "services/service_set.h"

namespace lanque::test {

// Every reference service of the process on free loopback ports, for one test.
class RunningServices : public ::testing::Test {
protected:
    void SetUp() override { StartWith(services::ServiceConfig{}); }
    void TearDown() override { m_services.Stop(); }

    // Restarts the services with the given configuration (all ports free ones).
    void StartWith(services::ServiceConfig config) {
        m_services.Stop();
        config.ports.clear();
        std::string error;
        ASSERT_TRUE(m_services.Start(config, error)) << error;
    }
    httplib::Client Client(services::Service service) const {
        return httplib::Client("127.0.0.1", m_services.Port(service));
    }
    std::string Base(services::Service service) const { return m_services.Base(service); }
    int Port(services::Service service) const { return m_services.Port(service); }

    services::ServiceSet m_services;
};

}  // namespace lanque::test
