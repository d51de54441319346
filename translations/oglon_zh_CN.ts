<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>一个眼睛跟随光标的桌面头像</translation>
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
        <translation>桌面玩具</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>它出现在您的桌面上，当您在桌面上移动光标时，它的眼睛会跟随光标。</translation>
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
        <translation>眼睛朝着鼠标指针的方向看</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Oglon 菜单</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>总在最前(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>关于 Oglon(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>退出(&amp;X)</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>关于 Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>作者：%1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>程序名称、作者，以及给作者写信和访问作者网站的链接</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>在邮件程序中给作者写信</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>在浏览器中打开作者的网站</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>没有程序能打开 %1。已将其复制到剪贴板。</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Oglon 的眼睛可以在任何地方跟随指针</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>在 Wayland 下的 GNOME 中，只有借助 Oglon 的 GNOME Shell 扩展，它们才能在每个窗口上方看到指针。要启用吗？可能需要注销一次才会启动。</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>启用扩展</translation>
    </message>
</context>
</TS>
