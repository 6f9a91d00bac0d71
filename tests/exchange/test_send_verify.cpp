// "Sprawdź po wysłaniu": the read-back after a send against the simulated
// register; what the register holds differently is listed per field and
// ends the send as failed.
#include "exchange/USendVerify.h"
#include "exchange_test_support.h"

#include <gtest/gtest.h>

namespace {

class TVerifyingDialogs : public TFakeDialogs {
public:
    bool VerifySend() override { return Verify; }
    bool Verify = true;
};

// Changes the register behind the send's back, as damage the checksum let
// through would.
class TTamperingJobs : public TSimJobRunner {
public:
    using TSimJobRunner::TSimJobRunner;
    void Run(const TJobRequest &request) override
    {
        TSimJobRunner::Run(request);
        if (JobSwitches(request).contains(QStringLiteral("/XD")) && AfterSend)
            AfterSend();
    }
    std::function<void()> AfterSend;
};

class SendVerify : public ExchangeTest {
protected:
    std::unique_ptr<TExchange> Verifying(TExchangeTable t)
    {
        return std::make_unique<TExchange>(dm, t, FileOf(t), jobs, wait, messages, verifying);
    }
    void Fill()
    {
        AddGroup(dm, 1, QStringLiteral("Pieczywo"), "A", "2,50");
        AddGroup(dm, 2, QStringLiteral("Nabiał Ąę"), "B", "0", "Natychmiast.", 3);
        AddCode(dm, "41", QStringLiteral("Bułka"), 1, "0,45");
        AddCode(dm, "5901234123457", QStringLiteral("Mleko 2%"), 2, "3,10");
        AddDeposit(dm, 1, "0,50");
    }
    static QStringList Texts(const std::vector<TSendDifference> &d)
    {
        QStringList out;
        for (const TSendDifference &x : d)
            out << x.Number + u'|' + x.Field + u'|' + x.Sent + u'|' + x.Read;
        return out;
    }
    TVerifyingDialogs verifying;
};

TEST_F(SendVerify, AnExactSendPassesAndReadsTwiceWithoutTouchingTheEditor)
{
    Fill();
    StartSim();
    for (TExchangeTable t : {TExchangeTable::Grupy, TExchangeTable::Kody, TExchangeTable::Kaucje}) {
        SCOPED_TRACE(int(t));
        auto x = Verifying(t);
        const int before = x->EditorTable().RecordCount();
        ASSERT_NO_THROW(x->SendAll()) << messages.Log.join(u'\n').toStdString();
        EXPECT_EQ(x->EditorTable().RecordCount(), before);
        EXPECT_EQ(x->TwinTable().RecordCount(), 0); // the in-register view is not the scratch table
        EXPECT_TRUE(NoExchangeFiles());
    }
    // A send and a read without counters per table.
    ASSERT_EQ(jobs.Jobs.size(), 6);
    EXPECT_TRUE(jobs.Jobs[1].contains(QStringLiteral("/T01 /AABDE /XU")));
    EXPECT_TRUE(messages.Log.filter(QStringLiteral("error")).isEmpty());
}

TEST_F(SendVerify, DifferencesAreListedPerFieldAndFailTheSend)
{
    Fill();
    StartSim();
    auto x = Verifying(TExchangeTable::Grupy);
    verifying.Verify = false;
    ASSERT_NO_THROW(x->SendAll());
    // The editor moves on after the send: what the register holds differs.
    TRxMemoryData &g = dm.MDGrupy;
    g.First();
    g.Edit();
    g.FieldByName("Cena").SetText("3,75");
    g.FieldByName("Nazwa").SetAsString(QStringLiteral("Chleb"));
    g.Post();
    AddGroup(dm, 9, QStringLiteral("Nowa"), "A", "1,00");

    const auto diffs = TSendVerifier(*x).Verify();
    EXPECT_EQ(Texts(diffs).join(u'\n').toStdString(),
              QStringList({"1|Cena|3,75 zł|2,50 zł", "1|Nazwa|Chleb|Pieczywo",
                           "9|rekord|9,01, 8,00,     1.00,Nowa            ,|brak w kasie"})
                  .join(u'\n')
                  .toStdString());
    // Only the rows asked for.
    EXPECT_EQ(TSendVerifier(*x).Verify({1}).size(), 0u);

    // Through the command: the message lists them, the command fails.
    g.Last();
    g.Delete(); // group 9 is not sent
    TTamperingJobs tampering(dm, dir.path());
    tampering.Sim = sim.get();
    tampering.Clock.Advance(1000);
    tampering.AfterSend = [&] {
        sim->WithRegister([](TSimRegister &r) { r.Table(0x01)->Records.erase(r.Table(0x01)->Records.begin()); });
    };
    TExchange y(dm, TExchangeTable::Grupy, FileOf(TExchangeTable::Grupy), tampering, wait, messages, verifying);
    messages.Log.clear();
    verifying.Verify = true;
    EXPECT_THROW(y.SendAll(), EAbort);
    ASSERT_EQ(messages.Log.size(), 1);
    EXPECT_TRUE(messages.Log[0].startsWith(QStringLiteral("error Dane odczytane z kasy po wysłaniu różnią się od "
                                                          "wysłanych (1):\nNumer 1, rekord: wysłano")))
        << messages.Log[0].toStdString();
    EXPECT_TRUE(NoExchangeFiles());
    EXPECT_EQ(TSendVerifier::Message({{"1", "Cena", "3,75", "2,50"}, {"2", "Nazwa", "A", "B"}}, 1).toStdString(),
              "Dane odczytane z kasy po wysłaniu różnią się od wysłanych (2):\n"
              "Numer 1, Cena: wysłano \"3,75\", odczytano \"2,50\"\n... i 1 więcej.");
}

} // namespace
