#!/usr/bin/env perl
# COUNT FORMS LINE: the same COUNT CNMARC records as Rowcaster work forms (UTF-8, CR LF) and in
# yaz-marcdump's line format, so that `rowcaster-cli iso` and `yaz-marcdump -i line -o marc` build
# byte-identical GBK records from them.
use strict; use warnings; use utf8;
my ($count, $formsPath, $linePath) = @ARGV;
open my $forms, '>:encoding(UTF-8)', $formsPath or die;
open my $line, '>:encoding(UTF-8)', $linePath or die;
my @chars = split //, '中国图书馆学出版社历史文化经济管理研究会计银行音乐教育大学古代现代文学艺术科技通论概要';
my @py = qw(zhong guo tu shu guan xue chu ban she li shi wen hua jing ji guan li yan jiu kuai ji yin hang yin yue jiao yu da xue gu dai xian dai wen xue yi shu ke ji tong lun gai yao);
my @names = ('张三', '李四', '王小明', '欧阳修', '司马光');
my @namesPy = ('zhang san', 'li si', 'wang xiao ming', 'ou yang xiu', 'si ma guang');
my @places = (['北京', '110000', '人民出版社'], ['上海', '310000', '上海译文出版社'], ['长沙', '430000', '湖南人民出版社']);
srand(20261205);
for my $n (1 .. $count) {
    my $len = 4 + int(rand(12));
    my (@t, @p);
    for (1 .. $len) { my $k = int(rand(@chars)); push @t, $chars[$k]; push @p, $py[$k]; }
    my $title = join '', @t; my $pinyin = join ' ', @p;
    my $a = int(rand(@names)); my $pl = $places[int(rand(@places))];
    my $year = 1980 + int(rand(46));
    my $isbn = sprintf '978-7-5012-%04d-%d', $n % 10000, $n % 10;
    my @fields = (
        ['010', '  ', ['a', $isbn], ['d', sprintf('CNY%d.%02d', 10 + $n % 90, $n % 100)]],
        ['100', '  ', ['a', "20261205d$year    em y0chiy0110    ea"]],
        ['101', '0 ', ['a', 'chi']],
        ['102', '  ', ['a', 'CN'], ['b', $pl->[1]]],
        ['105', '  ', ['a', 'y   z   000yy']],
        ['106', '  ', ['a', 'r']],
        ['200', '1 ', ['a', $title], ['9', $pinyin], ['f', $names[$a] . '著']],
        ['210', '  ', ['a', $pl->[0]], ['c', $pl->[2]], ['d', $year]],
        ['215', '  ', ['a', (100 + $n % 400) . '页'], ['d', '21cm']],
        ['606', '0 ', ['a', $t[0] . $t[1]], ['x', '研究']],
        ['690', '  ', ['a', 'I247.5'], ['v', '4']],
        ['701', '  ', ['a', $names[$a]], ['9', $namesPy[$a]], ['4', '著']],
        ['801', '  ', ['a', 'CN'], ['b', 'ZELKOV'], ['c', '20261205']],
        ['905', '  ', ['b', sprintf('%08d', $n)], ['d', 'I247.5']],
    );
    print $line "00000nam0 22000001  450 \n001 0020261205233600\n";
    for my $f (@fields) {
        my ($tag, $ind, @sf) = @$f;
        print $forms "$tag $ind ", (map { "|$_->[0] $_->[1]" } @sf), "\r\n";
        print $line "$tag $ind", (map { ' $' . ($_->[0] eq '9' ? 'A' : $_->[0]) . " $_->[1]" } @sf), "\n";
    }
    print $forms "\r\n";
    print $line "\n";
}
