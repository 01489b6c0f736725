<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source> 通讯设置 </source>
        <translation> Communication </translation>
    </message>
    <message>
        <source> 预设值 </source>
        <translation> Presets </translation>
    </message>
    <message>
        <source> 模块地址更改 </source>
        <translation> Module address change </translation>
    </message>
    <message>
        <source>串口号</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>模块地址:</source>
        <translation>New address:</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>设 置</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>读 取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>修 改</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>串口不存在！</source>
        <translation>Serial port does not exist!</translation>
    </message>
    <message>
        <source>串口已打开！</source>
        <translation>Serial port already open!</translation>
    </message>
    <message>
        <source>其它错误</source>
        <translation>Other error</translation>
    </message>
    <message>
        <source>请先打开串口！</source>
        <translation>Open the serial port first!</translation>
    </message>
    <message>
        <source>参数设置错误！</source>
        <translation>Parameter setting error!</translation>
    </message>
    <message>
        <source>通讯数据正常！</source>
        <translation>Communication OK!</translation>
    </message>
    <message>
        <source>通讯数据错误！</source>
        <translation>Communication error!</translation>
    </message>
    <message>
        <source>参数文件无法读取：</source>
        <translation>Parameter file cannot be read: </translation>
    </message>
    <message>
        <source>参数文件无法保存：</source>
        <translation>Parameter file cannot be saved: </translation>
    </message>
    <message>
        <source>查找模块…</source>
        <translation>Find modules…</translation>
    </message>
    <message>
        <source>查找模块</source>
        <translation>Find modules</translation>
    </message>
    <message>
        <source>所有波特率</source>
        <translation>All six rates</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>选用</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 波特率  地址 %2</source>
        <translation>%1 baud  address %2</translation>
    </message>
    <message>
        <source>地址 %1  波特率 %2</source>
        <translation>Address %1  baud %2</translation>
    </message>
    <message>
        <source>找到 %1 个模块</source>
        <translation>%1 module(s) found</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
</context>
<context>
    <name>Parameters</name>
    <message>
        <source>PWM Duty(0-100%):</source>
        <translation>PWM Duty(0-100%):</translation>
    </message>
    <message>
        <source>PWM Freq(1-150000HZ):</source>
        <translation>PWM Freq(1-150000HZ):</translation>
    </message>
    <message>
        <source>PWM Volt(1.0-24.0V):</source>
        <translation>PWM Volt(1.0-24.0V):</translation>
    </message>
    <message>
        <source>Pulse Count:</source>
        <translation>Pulse Count:</translation>
    </message>
    <message>
        <source>Pulse DT(0-60.000S):</source>
        <translation>Pulse DT(0-60.000S):</translation>
    </message>
    <message>
        <source>Pulse HT(0.001-60.000S):</source>
        <translation>Pulse HT(0.001-60.000S):</translation>
    </message>
    <message>
        <source>Pulse LT(0.001-60.000S):</source>
        <translation>Pulse LT(0.001-60.000S):</translation>
    </message>
    <message>
        <source>Pulse NUM(1-60000):</source>
        <translation>Pulse NUM(1-60000):</translation>
    </message>
    <message>
        <source>修改波特率:</source>
        <translation>Module baud:</translation>
    </message>
    <message>
        <source>工作模式:</source>
        <translation>Work mode:</translation>
    </message>
    <message>
        <source>正弦波频率(1-1005HZ):</source>
        <translation>Sine Freq(1-1005HZ):</translation>
    </message>
    <message>
        <source>电压源(2.00-10.00V):</source>
        <translation>V Src(2.00-10.00V):</translation>
    </message>
    <message>
        <source>电流源(4.00-20.00mA):</source>
        <translation>I Src(4.00-20.00mA):</translation>
    </message>
    <message>
        <source>输出状态:</source>
        <translation>Output:</translation>
    </message>
    <message>
        <source>Ramp T(0-60.000S):</source>
        <translation>Ramp T(0-60.000S):</translation>
    </message>
</context>
</TS>
