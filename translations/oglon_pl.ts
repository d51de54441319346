<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>Głowa na pulpicie, której oczy podążają za kursorem</translation>
    </message>
</context>
<context>
    <name>DesktopEntry</name>
    <message>
        <source>Oglon</source>
        <translation>Oglon</translation>
    </message>
    <message>
        <source>Desktop Toy</source>
        <translation>Zabawka na pulpit</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>Pojawia się na pulpicie, a jej oczy podążają za kursorem, gdy przesuwasz go po pulpicie.</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>Oglon</source>
        <translation>Oglon</translation>
    </message>
    <message>
        <source>The eyes look in the direction of the mouse pointer</source>
        <translation>Oczy patrzą w kierunku wskaźnika myszy</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Menu Oglon</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>Zawsze na &amp;wierzchu</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>&amp;O programie Oglon</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Zakończ</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>O programie Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>Autor: %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>Nazwa programu, jego autor oraz odnośniki, by napisać do autora i odwiedzić jego stronę</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>Pisze do autora w programie pocztowym</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>Otwiera stronę autora w przeglądarce</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>Żaden program nie mógł otworzyć %1. Adres skopiowano do schowka.</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Oczy Oglona mogą wszędzie podążać za wskaźnikiem</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>W GNOME pod Waylandem widzą go nad każdym oknem tylko dzięki rozszerzeniu GNOME Shell od Oglona. Włączyć je? Może zacząć działać dopiero po jednokrotnym wylogowaniu.</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>Włącz rozszerzenie</translation>
    </message>
</context>
</TS>
