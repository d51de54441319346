<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>Голова на рабочем столе, глаза которой следят за курсором</translation>
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
        <translation>Настольная игрушка</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>Она появляется на рабочем столе, и её глаза следят за курсором, пока вы водите им по рабочему столу.</translation>
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
        <translation>Глаза смотрят в сторону указателя мыши</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Меню Oglon</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>Поверх &amp;всех окон</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>&amp;О программе Oglon</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>В&amp;ыход</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>О программе Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>Автор: %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>Название программы, её автор и ссылки, чтобы написать автору и посетить его сайт</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>Пишет автору в почтовой программе</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>Открывает сайт автора в браузере</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>Ни одна программа не смогла открыть %1. Адрес скопирован в буфер обмена.</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Глаза Oglon могут следить за указателем повсюду</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>В GNOME под Wayland они видят его над любым окном только с расширением GNOME Shell от Oglon. Включить его? Оно может заработать только после повторного входа в систему.</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>Включить расширение</translation>
    </message>
</context>
</TS>
