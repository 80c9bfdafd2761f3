#include "document_writer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace quarry::demo {

namespace {

const char* const tripNotes = R"(
<h1>Coast walk: trip notes</h1>
<p>Five days along the cliffs from the harbour to the lighthouse, about 92 km in all.
Nights in guest houses booked ahead; luggage sent on each morning.</p>
<h2>Days</h2>
<table border="1" cellpadding="4" cellspacing="0">
<tr><th>Day</th><th>From</th><th>To</th><th>Distance</th></tr>
<tr><td>1</td><td>Harbour</td><td>Seal Bay</td><td>17 km</td></tr>
<tr><td>2</td><td>Seal Bay</td><td>Long Sands</td><td>21 km</td></tr>
<tr><td>3</td><td>Long Sands</td><td>Mill Cove</td><td>15 km</td></tr>
<tr><td>4</td><td>Mill Cove</td><td>North Head</td><td>22 km</td></tr>
<tr><td>5</td><td>North Head</td><td>Lighthouse</td><td>17 km</td></tr>
</table>
<p>The tide tables matter on day 2: the beach path is only open two hours either side of
low water. Day 4 is the hardest, with three steep valleys.</p>
<h2 style="page-break-before: always">After the trip</h2>
<p>Photos are on the camera card in DCIM. Copy them to the laptop before the card goes
back into the camera, and keep the clip of the ball game for the slide show.</p>
<p>Route map: see Pictures on the same card.</p>
)";

const char* const packingList = R"({\rtf1\ansi\ansicpg1252\deff0
{\fonttbl{\f0\froman Times New Roman;}{\f1\fswiss Arial;}}
{\info{\title Packing list}{\author Quarry demo}}
\paperw11906\paperh16838\margl1440\margr1440\margt1440\margb1440
\pard\sa200\f1\fs32\b Packing list for the coast walk\b0\par
\pard\sa120\f0\fs24 Everything for five days on the cliff path, light enough to carry.\par
\pard\li360\fi-360\sa60 \bullet\tab Waterproof jacket and trousers\par
\bullet\tab Two pairs of walking socks\par
\bullet\tab Camera, spare battery and the second memory card\par
\bullet\tab Tide tables for the week\par
\bullet\tab First-aid kit and sun cream\par
\pard\sa120 Check the weather the evening before each day and leave the route with the guest house.\par
}
)";

} // namespace

bool DocumentWriter::writeTripNotesPdf(const QString& path) const {
    QPdfWriter writer(path);
    if (!writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Portrait,
                                          QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter))) {
        return false;
    }
    writer.setTitle(QStringLiteral("Coast walk: trip notes"));
    writer.setCreator(QStringLiteral("quarry-demo-media"));
    QTextDocument document;
    document.setHtml(QString::fromUtf8(tripNotes));
    document.print(&writer);
    return true;
}

QByteArray DocumentWriter::packingListRtf() const {
    return QByteArray(packingList);
}

} // namespace quarry::demo
